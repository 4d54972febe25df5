! Zentrix: the run-time library that converted Fortran programs call.
! This module declares everything the converted code names: the console
! buffer, the error-description buffer, the error code of Open_File, the
! module name, the MPI process data, and the library's entry points. The
! variables live in COMMON blocks, which the C part of the library and the
! include file zentrix.h of the MPI variant share.
module Zentrix
  implicit none

  ! One record of console input or output. A byte 250 inside it separates
  ! records that a FORMAT with "/" produced.
  character(len=2048) :: zx_BufIO
  ! Description of the I/O statement being executed (file, line, unit,
  ! statement); characters 201 to 207 carry the form of a direct-access
  ! Open_File.
  character(len=256) :: zx_Ebuf
  ! Name of the converted module, set by its entry routine.
  character(len=256) :: zx_DLLName
  ! Error code of the last Open_File: 0 after success.
  integer :: fo_Error
  ! MPI: number of this process, the communicator and the error code.
  integer :: zx_MyProcess, zx_MPIcommunicator, zx_ierr
  common /zx_text/ zx_BufIO, zx_Ebuf, zx_DLLName
  common /zx_data/ fo_Error, zx_MyProcess, zx_MPIcommunicator, zx_ierr

  interface
    ! Starts the library for one run; job(1) = -1 selects the console
    ! regime. Returns 0 when the module's main routine may run.
    integer function Init_zx(job)
      integer job(*)
    end function Init_zx
    ! Begins a new record for the given unit (0: console, debug, internal).
    subroutine zx_NewRecord(unit)
      integer unit
    end subroutine zx_NewRecord
    ! k = 1: zx_BufIO is output; 2: a debug message; 3: fill zx_BufIO with
    ! the next input line (first byte 0 at the end of input).
    subroutine Interface_IO(k)
      integer k
    end subroutine Interface_IO
    ! Ends the module's run instead of ending the process.
    subroutine zx_Instead_of_STOP()
    end subroutine zx_Instead_of_STOP
    ! A "+" in front of file appends; a form "D" followed by a record
    ! length in 6 columns opens for direct access. Sets fo_Error.
    subroutine Open_File(unit, file, status, form)
      integer unit
      character(len=*) file, status, form
    end subroutine Open_File
    ! A negative unit closes the file and deletes it.
    subroutine Close_File(unit)
      integer unit
    end subroutine Close_File
    ! Writes the text, record by record, to the unit.
    subroutine WriteStringByHandle(unit, text)
      integer unit
      character(len=*) text
    end subroutine WriteStringByHandle
    ! The handlers the converted units jump to on ERR= and END=.
    subroutine zx_IO_ERROR()
    end subroutine zx_IO_ERROR
    subroutine zx_Eof_Read()
    end subroutine zx_Eof_Read
    ! Raises a named event for the host.
    subroutine zx_RaiseEvent(name, value)
      character(len=*) name, value
    end subroutine zx_RaiseEvent
  end interface
end module Zentrix

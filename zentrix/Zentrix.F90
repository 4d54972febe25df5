! Zentrix: the run-time library that converted Fortran programs call.
! This module declares everything the converted code names: the console
! buffer, the error-description buffer, the error code of Open_File, the
! module name, the MPI process data, and the library's entry points. The
! variables live in COMMON blocks, which the C part of the library and the
! include file zentrix.h of the MPI variant share.
module Zentrix
  use, intrinsic :: iso_c_binding, only: c_int, c_ptr, c_f_pointer
  implicit none

  ! Length of one record of console input or output.
  integer, parameter :: zx_RecordLength = 4096

  ! The console buffer: an internal file of records, so that a console
  ! WRITE may make several records (format reversion, "/", long lists).
  ! It views the library's record store: all of it for a WRITE, one record
  ! for a READ (a READ takes its values from one input line). In modules
  ! converted while console FORMATs had their "/" replaced, a byte 250
  ! inside a record separates records as well (Interface_IO below).
  character(len=zx_RecordLength), pointer :: zx_BufIO(:)
  common /zx_view/ zx_BufIO
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
  common /zx_text/ zx_Ebuf, zx_DLLName
  common /zx_data/ fo_Error, zx_MyProcess, zx_MPIcommunicator, zx_ierr

  ! Non-advancing console output (ADVANCE='NO') is written to this unit, a
  ! stream file of the library that zx_NewPartial connects; Interface_IO(4)
  ! then takes its text over as the beginning of a console line, trailing
  ! blanks and "/" included.
  integer :: zx_PartUnit
  common /zx_part/ zx_PartUnit

  ! The record store, owned by the C part.
  character(len=zx_RecordLength), pointer, private :: zx_Records(:) => null()

  ! Ichar(zx_BufIO(1:1)), the EOF test of converted READs, is the code of
  ! the buffer's first character: 0 after Interface_IO(3) met the end of
  ! input. Only an array of records of the buffer's length reaches this
  ! specific (gfortran matches the length of an assumed-shape character
  ! dummy); the intrinsic serves every other argument, arrays of single
  ! characters included.
  interface Ichar
    integer function zx_FirstCode(records)
      import zx_RecordLength
      character(len=zx_RecordLength), intent(in) :: records(:)
    end function zx_FirstCode
  end interface

  ! Writes a text (or the records of the console buffer) to a unit,
  ! splitting at byte 250 (handle-driven WRITEs of earlier conversions).
  interface WriteStringByHandle
    subroutine WriteStringByHandle(unit, text)
      integer unit
      character(len=*) text
    end subroutine WriteStringByHandle
    subroutine zx_WriteRecordsByHandle(unit, records)
      import zx_RecordLength
      integer unit
      character(len=zx_RecordLength) records(:)
    end subroutine zx_WriteRecordsByHandle
  end interface

  ! The same with the text as written: what converted handle-driven WRITEs
  ! call now that a "/" of their format makes a record of its own.
  interface zx_WriteByHandle
    subroutine zx_WriteTextByHandle(unit, text)
      integer unit
      character(len=*) text
    end subroutine zx_WriteTextByHandle
    subroutine zx_WriteRecordsAsWritten(unit, records)
      import zx_RecordLength
      integer unit
      character(len=zx_RecordLength) records(:)
    end subroutine zx_WriteRecordsAsWritten
  end interface

  ! Ends the module's run instead of ending the process. A stop code or
  ! message is reported as the compiler's STOP reports it ("STOP 1" on
  ! standard error), and a code becomes the run's stop code.
  interface zx_Instead_of_STOP
    subroutine zx_Instead_of_STOP()
    end subroutine zx_Instead_of_STOP
    subroutine zx_StopWithCode(code)
      integer, intent(in) :: code
    end subroutine zx_StopWithCode
    subroutine zx_StopWithMessage(message)
      character(len=*), intent(in) :: message
    end subroutine zx_StopWithMessage
  end interface

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
    ! the next input line (first byte 0 at the end of input); 4: the text
    ! written to zx_PartUnit is output without a line end. With 1, 2 and 4
    ! a byte 250 separates lines (what earlier conversions put in place of
    ! "/"); 5, 6 and 8 do the same with the text as written.
    subroutine Interface_IO(k)
      integer k
    end subroutine Interface_IO
    ! 1 after Interface_IO(3) read a line, 0 at the end of input: a READ
    ! from zx_BufIO(1:zx_InputRecords()) then meets its end of file.
    integer function zx_InputRecords()
    end function zx_InputRecords
    ! The record length after Interface_IO(3) read a line, 0 at the end of
    ! input: a list-directed READ from zx_BufIO(1:1)(1:zx_InputLength())
    ! then meets its end of file (one from no records would loop).
    integer function zx_InputLength()
    end function zx_InputLength
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
    ! Stores into unit a unit number that no file is connected to (OPEN
    ! with NEWUNIT=).
    subroutine zx_NewUnit(unit)
      integer unit
    end subroutine zx_NewUnit
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

contains

  ! The C part hands over its record store once.
  subroutine zx_AttachRecords(store, count) bind(C, name='zx_attach_records')
    type(c_ptr), value :: store
    integer(c_int), value :: count
    call c_f_pointer(store, zx_Records, [count])
    zx_BufIO => zx_Records(1:1)
  end subroutine zx_AttachRecords

  ! zx_BufIO views the first count records of the store.
  subroutine zx_ViewRecords(count) bind(C, name='zx_view_records')
    integer(c_int), value :: count
    zx_BufIO => zx_Records(1:count)
  end subroutine zx_ViewRecords

  ! Console lines go out through unit 6, so that they keep their order
  ! with whatever the program writes to unit 6 itself.
  subroutine zx_ConsoleLine(text, length) bind(C, name='zx_console_line')
    integer(c_int), value :: length
    character(len=1), intent(in) :: text(length)
    integer ios
    write(6, '(A)', iostat=ios) zx_TextOf(text, length)
  end subroutine zx_ConsoleLine

  ! C hands text over as an array of single characters.
  pure function zx_TextOf(text, length) result(joined)
    integer(c_int), intent(in) :: length
    character(len=1), intent(in) :: text(length)
    character(len=length) joined
    integer i
    do i = 1, length
      joined(i:i) = text(i)
    end do
  end function zx_TextOf

  ! Connects zx_PartUnit once, to the library's file for non-advancing
  ! output (an unlinked file reached through its descriptor); console
  ! output when there is none.
  subroutine zx_NewPartial() bind(C, name='zx_newpartial_')
    interface
      integer(c_int) function zx_partial_descriptor() bind(C, name='zx_partial_descriptor')
        import c_int
      end function zx_partial_descriptor
    end interface
    character(len=32) path
    integer fd, ios
    if (zx_PartUnit /= 0) return
    fd = zx_partial_descriptor()
    zx_PartUnit = 6
    if (fd < 0) return
    write(path, '(a,i0)') '/dev/fd/', fd
    open(newunit=zx_PartUnit, file=trim(path), access='stream', form='formatted', &
         status='old', action='write', iostat=ios)
    if (ios /= 0) zx_PartUnit = 6
  end subroutine zx_NewPartial

  ! Interface_IO(4) reads what the unit holds after this.
  subroutine zx_FlushPartial() bind(C, name='zx_flush_partial')
    integer ios
    flush(zx_PartUnit, iostat=ios)
  end subroutine zx_FlushPartial

  ! At the end of a run; the next run connects the unit again.
  subroutine zx_ClosePartial() bind(C, name='zx_close_partial')
    integer ios
    if (zx_PartUnit /= 0 .and. zx_PartUnit /= 6) close(zx_PartUnit, iostat=ios)
    zx_PartUnit = 0
  end subroutine zx_ClosePartial

  ! A piece of a console line: the line goes on with the next output.
  subroutine zx_ConsolePiece(text, length) bind(C, name='zx_console_piece')
    integer(c_int), value :: length
    character(len=1), intent(in) :: text(length)
    integer ios
    write(6, '(A)', advance='no', iostat=ios) zx_TextOf(text, length)
  end subroutine zx_ConsolePiece

  subroutine zx_FlushConsole() bind(C, name='zx_flush_console')
    integer ios
    flush(6, iostat=ios)
  end subroutine zx_FlushConsole
end module Zentrix

integer function zx_FirstCode(records)
  use Zentrix, only: zx_RecordLength
  implicit none
  character(len=zx_RecordLength), intent(in) :: records(:)
  zx_FirstCode = 0
  if (size(records) > 0) zx_FirstCode = ichar(records(1)(1:1))
end function zx_FirstCode

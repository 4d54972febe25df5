!     Zentrix for the MPI variant of converted programs, included in every
!     program unit: the MPI definitions and the library's COMMON blocks
!     and interfaces, as the module Zentrix declares them.
      include 'mpif.h'
      character(len=4096), pointer :: zx_BufIO(:)
      character*256 zx_Ebuf, zx_DLLName
      integer fo_Error, zx_MyProcess, zx_MPIcommunicator, zx_ierr
      common /zx_view/ zx_BufIO
      integer zx_PartUnit
      common /zx_part/ zx_PartUnit
      common /zx_text/ zx_Ebuf, zx_DLLName
      common /zx_data/ fo_Error, zx_MyProcess, zx_MPIcommunicator, zx_ierr
      interface Ichar
        integer function zx_FirstCode(records)
          character(len=4096), intent(in) :: records(:)
        end function zx_FirstCode
      end interface
      interface WriteStringByHandle
        subroutine WriteStringByHandle(unit, text)
          integer unit
          character(len=*) text
        end subroutine WriteStringByHandle
        subroutine zx_WriteRecordsByHandle(unit, records)
          integer unit
          character(len=4096) records(:)
        end subroutine zx_WriteRecordsByHandle
      end interface
      integer zx_InputRecords, zx_InputLength
      external zx_InputRecords, zx_InputLength

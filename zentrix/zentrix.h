!     Zentrix for the MPI variant of converted programs, included in every
!     program unit: the MPI definitions and the library's COMMON blocks.
      include 'mpif.h'
      character*2048 zx_BufIO
      character*256 zx_Ebuf, zx_DLLName
      integer fo_Error, zx_MyProcess, zx_MPIcommunicator, zx_ierr
      common /zx_text/ zx_BufIO, zx_Ebuf, zx_DLLName
      common /zx_data/ fo_Error, zx_MyProcess, zx_MPIcommunicator, zx_ierr

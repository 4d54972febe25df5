!KVQ:NO_TOUCH!
subroutine ff(x)
      use Zentrix     ! KVQ
      save            ! KVQ:strongly recommended!
  real x
!Converted:   write(6,*) 'x=', x
      zx_Ebuf='MAIN.F90(3) FF: write(6,*)x=,x'
      Call zx_NewRecord(6)
      Write(zx_BufIO,*,ERR=9470) 'x=', x
      CALL Interface_IO(5)    ! Write
  Continue   ! instead of PAUSE !
if (x > 1.0) then
      CALL zx_Instead_of_STOP     !  KVQ
      Continue   ! instead of PAUSE !
end if
  CALL zx_Instead_of_STOP('end')  !  KVQ
 9470 CALL zx_IO_ERROR          !  KVQ
      Return                    !  KVQ
99470 CALL zx_Eof_Read          !  KVQ
      Return                    !  KVQ
end subroutine ff

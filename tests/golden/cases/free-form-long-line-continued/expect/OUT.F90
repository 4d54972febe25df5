!KVQ:NO_TOUCH!
subroutine show(a, b)
      use Zentrix     ! KVQ
      save            ! KVQ:strongly recommended!
  integer a, b
!Converted:   write(*,'(a,i6,a,i6,a,i6,a,i6)') 'the first of the values is', a, ' and the second value is', b, '; twice the first:', 2*a, ', twice the second:', 2*b ! both
      zx_Ebuf='MAIN.F90(3) SHOW: write(*,(a,i6,a,i6,a,i6,a,i6))thefirs'
      Call zx_NewRecord(0)
      Write(zx_BufIO,'(a,i6,a,i6,a,i6,a,i6)',ERR=9470) 'the first of the values is', a, ' and the second value is', b, '; twice the&
      & first:', 2*a, ', twice the second:', 2*b ! both
      CALL Interface_IO(5)    ! Write
      Return                    !  KVQ
 9470 CALL zx_IO_ERROR          !  KVQ
      Return                    !  KVQ
99470 CALL zx_Eof_Read          !  KVQ
      Return                    !  KVQ
end subroutine show

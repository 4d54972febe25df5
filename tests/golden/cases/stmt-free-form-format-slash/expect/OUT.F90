!KVQ:NO_TOUCH!
subroutine fq(a)
      use Zentrix     ! KVQ
      save            ! KVQ:strongly recommended!
  real a
!Converted:   write(6,100) a
      zx_Ebuf='MAIN.F90(3) FQ: write(6,100)a'
      Call zx_NewRecord(6)
      Write(zx_BufIO,100,ERR=9470) a
      CALL Interface_IO(5)    ! Write
!Converted:   write(6,200)
      zx_Ebuf='MAIN.F90(4) FQ: write(6,200)'
      Call zx_NewRecord(6)
      Write(zx_BufIO,200,ERR=9470)
      CALL Interface_IO(5)    ! Write
!Converted:   write(6,300)
      zx_Ebuf='MAIN.F90(5) FQ: write(6,300)'
      Call zx_NewRecord(6)
      Write(zx_BufIO,300,ERR=9470)
      CALL Interface_IO(5)    ! Write
100 format(1x,'a'/1x,f8.2)
200 format(1x,'b'//)
300 format(/1x,'c')
400 format(1x,'d'/1x,'e')
      Return                    !  KVQ
 9470 CALL zx_IO_ERROR          !  KVQ
      Return                    !  KVQ
99470 CALL zx_Eof_Read          !  KVQ
      Return                    !  KVQ
 ! *** see Formats: 100 200 300
end subroutine fq

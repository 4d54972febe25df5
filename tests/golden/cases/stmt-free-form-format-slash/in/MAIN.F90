subroutine fq(a)
  real a
  write(6,100) a
  write(6,200)
  write(6,300)
100 format(1x,'a'/1x,f8.2)
200 format(1x,'b'//)
300 format(/1x,'c')
400 format(1x,'d'/1x,'e')
end subroutine fq

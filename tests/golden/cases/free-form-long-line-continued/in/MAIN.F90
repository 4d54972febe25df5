subroutine show(a, b)
  integer a, b
  write(*,'(a,i6,a,i6,a,i6,a,i6)') 'the first of the values is', a, ' and the second value is', b, '; twice the first:', 2*a, ', twice the second:', 2*b ! both
end subroutine show

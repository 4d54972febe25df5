! decay.f95 - radioactive decay, free form with the .f95 extension
program decay
  implicit none
  real :: n0, half, t
  integer :: k
  read(*,*) n0, half
  do k = 0, 4
    t = k * half
    write(*,'(a,f6.1,a,f10.3)') 't=', t, '  N=', n0 * 0.5 ** k
  end do
end program decay

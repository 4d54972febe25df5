! table.f90 - tables printed by format reversion
program table
  implicit none
  integer :: i, n
  real :: x(23)
  read(*,*) n
  do i = 1, 23
    x(i) = sin(real(i) / 3.0)
  end do
  write(*,'(5f8.3)') x
  print '(a,i3,a,i5)', ('n=', i, ' sq=', i*i, i = 1, n)
  write(*,'(a/a/a)') 'first', 'second', 'third'
  write(*,'(3(i4))') (i, i = 1, 10)
end program table

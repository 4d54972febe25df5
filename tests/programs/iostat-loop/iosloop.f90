! iosloop.f90 - the standard read loop
program iosloop
  implicit none
  integer :: ios, n
  real :: x, total
  n = 0
  total = 0.0
  do
    read(*,*,iostat=ios) x
    if (ios /= 0) exit
    n = n + 1
    total = total + x
  end do
  write(*,'(a,i4)') 'values read:', n
  write(*,'(a,f10.3)') 'total:', total
  if (ios < 0) print *, 'end of input reached'
end program iosloop

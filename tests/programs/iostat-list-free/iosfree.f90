! iosfree.f90 - list-directed reads until the end of input
program iosfree
  implicit none
  integer :: count
  real :: smallest
  call scan_values(count, smallest)
  write(*,'(a,i3,a,f8.3)') 'pairs:', count, '  smallest:', smallest
end program iosfree

subroutine scan_values(count, smallest)
  implicit none
  integer, intent(out) :: count
  real, intent(out) :: smallest
  integer :: ios
  real :: a, b
  count = 0
  smallest = huge(1.0)
  do
    read(*, *, iostat=ios) a, b
    if (ios /= 0) exit
    count = count + 1
    smallest = min(smallest, a, b)
  end do
  if (ios < 0) write(*,*) 'input ended'
end subroutine scan_values

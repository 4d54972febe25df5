! comments.f90 - trailing comments after continuation marks
program comments
  implicit none
  integer :: i, total
  real :: scale
  total = 0
  scale = 2.5
  do i = 1, 4
    total = total + i * i
  end do
  write(*,*) ' total: ', &   ! running sum
             total
  write(*,'(a)') 'x = 1; y = 2'
  write(*,'(a,f6.2)') 'scale;', scale ! a ; in a comment
  write(*,'(a,i4,a,i4,a,i4,a,i4,a,i4,a,i4,a,i4,a,i4)') 'a', 1, 'b', 2, 'c', 3, 'd', 4, 'e', 5, 'f', 6, 'g', 7, 'h', 8
end program comments

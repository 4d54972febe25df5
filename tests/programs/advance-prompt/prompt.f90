! prompt.f90 - prompts without a line end
program prompt
  implicit none
  integer :: a, b
  write(*,'(a)', advance='no') 'first number: '
  read(*,*) a
  write(*,'(a)', advance='no') 'second number: '
  read(*,*) b
  write(*,'(a,i6)') 'product:', a * b
end program prompt

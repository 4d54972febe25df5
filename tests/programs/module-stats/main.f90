! main.f90 - uses the statistics module
program main
  use stats_mod
  implicit none
  integer :: i, n
  real :: x
  read(*,*) n
  do i = 1, n
    read(*,*) x
    call add_sample(x)
  end do
  call report('samples')
  print *, 'count', count
end program main

! progress.f90 - a line built from pieces
program progress
  implicit none
  integer :: i, n
  read(*,*) n
  write(*,'(a)', advance='no') 'progress:'
  do i = 1, n
    write(*,'(1x,i0)', advance='no') i * 10
  end do
  write(*,'(a)') ' done'
  write(*,'(a)', advance='no') 'tail '
  write(*,'(a)', advance='no') 'pieces '
  write(*,*)
end program progress

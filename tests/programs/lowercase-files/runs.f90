! runs.f90 - results in a subdirectory, names in lower case
program runs
  implicit none
  integer :: i, n
  real :: p
  open(10, file='params.txt', status='old')
  read(10, *) n, p
  close(10)
  open(11, file='results/run1.dat', status='replace')
  do i = 1, n
    write(11, '(i3,f9.4)') i, p ** i
  end do
  close(11)
  print '(a,i3,a)', 'wrote', n, ' lines to results/run1.dat'
end program runs

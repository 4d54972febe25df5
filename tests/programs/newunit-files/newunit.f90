! newunit.f90 - units chosen by the library
program newunit_demo
  implicit none
  integer :: u, v, i, k, total
  open(newunit=u, file='A.TXT', status='replace')
  open(newunit=v, file='B.TXT', status='replace')
  if (u == v) stop 'same unit twice'
  do i = 1, 3
    write(u, '(i3)') i
    write(v, '(i3)') i * 10
  end do
  close(u)
  close(v)
  total = 0
  open(newunit=u, file='B.TXT', status='old')
  do i = 1, 3
    read(u, *) k
    total = total + k
  end do
  close(u)
  print '(a,i4)', 'sum of B:', total
end program newunit_demo

! doends.f90 - old-style labelled loops in free form
program doends
  implicit none
  integer :: i, k, total
  real :: v(4)
  open(12, file='vals.txt', status='replace')
  do 10 i = 1, 4
10 write(12, '(f6.2)') i * 1.5
  close(12)
  open(12, file='vals.txt', status='old')
  do 20 i = 1, 4
20 read(12, *) v(i)
  close(12, status='delete')
  total = 0
  do 30 i = 1, 4
     k = 30
     total = total + k * i
30 if (mod(i, 2) == 0) print '(a,i3,f8.2)', 'even', i, v(i)
  do 40 k = 1, 2
40 write(*, *) 'total', total + k
end program doends

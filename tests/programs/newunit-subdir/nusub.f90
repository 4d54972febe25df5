! nusub.f90 - library-chosen units on files in a subdirectory
program nusub
  implicit none
  integer :: out, inp, ios, i, total, k
  open(file='Data/Squares.Txt', newunit=out, status='replace', iostat=ios)
  if (ios /= 0) stop 'cannot open'
  do i = 1, 5
    write(out, '(i4)') i * i
  end do
  close(out)
  open(status='old', newunit=inp, file='Data/Squares.Txt', iostat=ios)
  total = 0
  do
    read(inp, *, iostat=ios) k
    if (ios /= 0) exit
    total = total + k
  end do
  close(inp)
  write(*, '(a,i6,a,l2)') 'sum of squares:', total, '  ended:', ios < 0
end program nusub

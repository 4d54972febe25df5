! kworder.f90 - keyword specifiers first, unit later
program kworder
  implicit none
  integer :: i, n, ios
  real :: x, total
  read(fmt=*, unit=5) n
  open(status='replace', file='VALUES.TXT', unit=21, action='write')
  do i = 1, n
    write(fmt='(f8.3)', unit=21) real(i) / 4.0
  end do
  close(unit=21)
  open(action='read', unit=22, status='old', file='VALUES.TXT')
  total = 0.0
  do
    read(fmt=*, iostat=ios, unit=22) x
    if (ios /= 0) exit
    total = total + x
  end do
  close(unit=22)
  write(fmt='(a,f10.3)', unit=6) 'total:', total
end program kworder

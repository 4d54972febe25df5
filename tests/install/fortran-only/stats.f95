! Free form: the converted copy must be compiled as free form again.
program stats
  implicit none
  integer :: n, total
  read (*, *) n
  call left_part(n, total)
  call right_part(total)
  write (*, '(A, I0)') 'TOTAL ', total
end program stats

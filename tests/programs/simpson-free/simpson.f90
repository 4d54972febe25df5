! simpson.f90 - Simpson's rule with a convergence table
program simpson
  implicit none
  integer :: n, k
  double precision :: s, prev
  double precision, parameter :: exact = 2.0d0
  prev = 0.0d0
  write(*,'(a5,a18,a14)') 'n', 'integral', 'error'
  do k = 1, 6
    n = 2 ** k
    s = rule(n)
    write(*,'(i5,f18.12,es14.4)') n, s, abs(s - exact)
    prev = s
  end do
contains
  double precision function rule(m)
    integer, intent(in) :: m
    integer :: i
    double precision :: h, x
    h = acos(-1.0d0) / m
    rule = sin(0.0d0) + sin(acos(-1.0d0))
    do i = 1, m - 1
      x = i * h
      if (mod(i, 2) == 1) then
        rule = rule + 4.0d0 * sin(x)
      else
        rule = rule + 2.0d0 * sin(x)
      end if
    end do
    rule = rule * h / 3.0d0
  end function rule
end program simpson

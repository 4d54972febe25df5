! heads.f90 - procedures with RECURSIVE, PURE, ELEMENTAL and typed heads
module shapes
  implicit none
  type :: point
    real :: x, y
  end type point
contains
  type(point) recursive function halve(p, times) result(q)
    type(point), intent(in) :: p
    integer, intent(in) :: times
    if (times <= 0) then
      q = p
    else
      write(*, '(a,i2)') ' halving, left:', times
      q = halve(point(p%x / 2.0, p%y / 2.0), times - 1)
    end if
  end function halve

  pure elemental real function twice(x)
    real, intent(in) :: x
    twice = 2.0 * x
  end function twice

  real(kind=8) function area(r)
    real(kind=8), intent(in) :: r
    area = 3.0d0 * r * r
    print '(a,f8.3)', ' area of radius', r
  end function area
end module shapes

program heads
  use shapes
  implicit none
  type(point) :: p
  real(kind=8) :: a
  integer :: n
  read(*, *) n
  print *, 'factorial of', n, 'is', fact(n)
  call countdown(n)
  p = halve(point(8.0, 4.0), 2)
  write(*, '(a,2f6.2)') ' halved point:', p%x, p%y
  write(*, '(a,3f6.1)') ' twice:', twice([1.0, 2.5, 4.0])
  a = area(2.0d0)
  write(*, '(a,f8.3)') ' area:', a
  write(*, '(a,a)') ' label:', label(n)
contains
  recursive integer function fact(k) result(r)
    integer, intent(in) :: k
    if (k <= 1) then
      r = 1
    else
      r = k * fact(k - 1)
    end if
  end function fact

  recursive subroutine countdown(k)
    integer, intent(in) :: k
    integer :: mine
    mine = 10 * k
    write(*, *) 'countdown', k
    if (k > 0) call countdown(k - 1)
    write(*, *) 'back at', mine
  end subroutine countdown

  character(len=5) function label(k)
    integer, intent(in) :: k
    write(label, '(i5)') k
  end function label
end program heads

! integrate.f90 - integration of functions passed by procedure pointer
module integrands
  implicit none
  abstract interface
    real function real_func(x)
      real, intent(in) :: x
    end function real_func
  end interface
contains
  real function square(x)
    real, intent(in) :: x
    square = x * x
  end function square
  real function cube(x)
    real, intent(in) :: x
    cube = x * x * x
  end function cube
  real function trapezoid(f, a, b, n)
    procedure(real_func) :: f
    real, intent(in) :: a, b
    integer, intent(in) :: n
    integer :: i
    real :: h
    h = (b - a) / n
    trapezoid = 0.5 * (f(a) + f(b))
    do i = 1, n - 1
      trapezoid = trapezoid + f(a + i * h)
    end do
    trapezoid = trapezoid * h
  end function trapezoid
end module integrands

program integrate
  use integrands
  implicit none
  procedure(real_func), pointer :: p
  integer :: n
  read(*,*) n
  p => square
  write(*,'(a,f10.5)') 'x**2 on [0,1]:', trapezoid(p, 0.0, 1.0, n)
  p => cube
  write(*,'(a,f10.5)') 'x**3 on [0,2]:', trapezoid(p, 0.0, 2.0, n)
end program integrate

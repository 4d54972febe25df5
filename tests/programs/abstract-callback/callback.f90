! callback.f90 - a solver that reports through a callback
module solver
  implicit none
  abstract interface
    subroutine reporter(step, value)
      integer, intent(in) :: step
      real, intent(in) :: value
    end subroutine reporter
  end interface
contains
  subroutine bisect(a, b, tol, report)
    real, intent(inout) :: a, b
    real, intent(in) :: tol
    procedure(reporter) :: report
    integer :: step
    real :: m
    step = 0
    do while (b - a > tol)
      step = step + 1
      m = 0.5 * (a + b)
      if ((m * m - 2.0) * (a * a - 2.0) <= 0.0) then
        b = m
      else
        a = m
      end if
      call report(step, m)
    end do
  end subroutine bisect
end module solver

program callback
  use solver
  implicit none
  real :: lo, hi
  read(*,*) lo, hi
  call bisect(lo, hi, 1.0e-3, show)
  write(*,'(a,f8.5)') 'root near', 0.5 * (lo + hi)
contains
  subroutine show(step, value)
    integer, intent(in) :: step
    real, intent(in) :: value
    if (mod(step, 3) == 0) write(*,'(a,i3,f10.6)') 'step', step, value
  end subroutine show
end program callback

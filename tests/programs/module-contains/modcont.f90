! modcont.f90 - internal procedures below module procedures and subroutines
module tables
  implicit none
contains
  subroutine table(n)
    integer, intent(in) :: n
    integer :: i
    call header()
    do i = 1, n
      write(*,'(i4,2f10.3)') i, half(i), sqrt(real(i))
    end do
  contains
    subroutine header()
      write(*,'(a4,2a10)') 'n', 'half', 'root'
    end subroutine header
    real function half(k)
      integer, intent(in) :: k
      half = k / 2.0
    end function half
  end subroutine table
end module tables

subroutine report(values, n)
  implicit none
  integer, intent(in) :: n
  real, intent(in) :: values(n)
  write(*,*) 'sum', total()
  write(*,*) 'largest', maxval(values)
contains
  real function total()
    integer :: k
    total = 0.0
    do k = 1, n
      total = total + values(k)
    end do
  end function total
end subroutine report

program modcont
  use tables
  implicit none
  abstract interface
    real function unary(x)
      real, intent(in) :: x
    end function unary
  end interface
  procedure(unary), pointer :: op
  integer :: n
  real :: v(3)
  read(*,*) n
  call table(n)
  op => triple
  v = [op(1.0), op(2.5), op(-1.0)]
  call report(v, 3)
contains
  real function triple(x)
    real, intent(in) :: x
    triple = 3.0 * x
  end function triple
end program modcont

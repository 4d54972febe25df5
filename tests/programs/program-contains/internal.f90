! internal.f90 - a main program with internal procedures
program internal
  implicit none
  integer :: n, i
  real :: a(10)
  read(*,*) n
  call fill(a, n)
  call show('filled', a, n)
  do i = 1, n
    a(i) = twice(a(i))
  end do
  call show('doubled', a, n)
  write(*,*) 'largest', maxval(a(1:n))
contains
  subroutine fill(v, m)
    real, intent(out) :: v(:)
    integer, intent(in) :: m
    integer :: k
    do k = 1, m
      v(k) = real(k * k) / 2.0
    end do
  end subroutine fill
  subroutine show(title, v, m)
    character(len=*), intent(in) :: title
    real, intent(in) :: v(:)
    integer, intent(in) :: m
    write(*,'(a,":",10f7.2)') title, v(1:m)
  end subroutine show
  real function twice(x)
    real, intent(in) :: x
    twice = 2.0 * x
  end function twice
end program internal

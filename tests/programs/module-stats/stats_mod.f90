! stats_mod.f90 - statistics kept in a module
module stats_mod
  implicit none
  integer, parameter :: maxn = 100
  real :: samples(maxn)
  integer :: count = 0
contains
  subroutine add_sample(x)
    real, intent(in) :: x
    if (count >= maxn) then
      write(*,*) 'too many samples'
      return
    end if
    count = count + 1
    samples(count) = x
  end subroutine add_sample

  real function mean()
    mean = sum(samples(1:count)) / max(count, 1)
  end function mean

  subroutine report(title)
    character(len=*), intent(in) :: title
    integer :: i
    write(*,'(a)') title
    do i = 1, count
      write(*,'(i4,f10.3)') i, samples(i)
    end do
    write(*,'(a,f10.4)') 'mean:', mean()
  end subroutine report
end module stats_mod

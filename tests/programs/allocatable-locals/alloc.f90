! Subroutines that allocate a local array and return without deallocating
! it: Fortran 95 deallocates it at the return, so every call allocates anew.
program alloc
  implicit none
  integer :: k
  real :: total
  real, allocatable :: buffer(:)
  do k = 1, 3
    call work(k, total)
    write(*,'(a,i2,a,f8.2)') 'call', k, ' sum', total
    call count(k)
  end do
  call keep(2, buffer)
  call keep(5, buffer)
contains
  subroutine keep(n, kept)
    integer, intent(in) :: n
    real, allocatable, intent(inout) :: kept(:)
    if (.not. allocated(kept)) allocate(kept(n))
    write(*,*) 'keep', size(kept)
  end subroutine keep
end program alloc

subroutine work(n, total)
  implicit none
  integer, intent(in) :: n
  real, intent(out) :: total
  real, dimension(:), &
        allocatable :: values
  integer :: i
  allocate(values(n * 4))
  values = [(real(i), i = 1, n * 4)]
  total = sum(values)
end subroutine work

subroutine count(n)
  implicit none
  integer, intent(in) :: n
  integer :: marks
  allocatable :: marks(:)
  allocate(marks(n))
  marks = n
  write(*,*) 'marks', sum(marks)
end subroutine count

! lattice.f90 - includes shared declarations
program lattice
  implicit none
  include 'lattice.inc'
  integer :: i, j
  do j = 1, ny
    do i = 1, nx
      grid(i, j) = (i - 1) + nx * (j - 1)
    end do
  end do
  call show()
contains
  subroutine show()
    integer :: r
    do r = ny, 1, -1
      write(*,'(*(i4))') grid(:, r)
    end do
    write(*,'(a,i6)') 'sum:', sum(grid)
  end subroutine show
end program lattice

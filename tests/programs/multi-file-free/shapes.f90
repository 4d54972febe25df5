! shapes.f90 - main program
program shapes
  use geometry
  implicit none
  real :: r, a, b, c
  read(*,*) r
  read(*,*) a, b, c
  call report_shape('circle', circle_area(r))
  call report_shape('triangle', triangle_area(a, b, c))
end program shapes

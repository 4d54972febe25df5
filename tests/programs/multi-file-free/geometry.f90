! geometry.f90 - shapes and their areas
module geometry
  implicit none
  real, parameter :: pi = 3.14159265
contains
  real function circle_area(r)
    real, intent(in) :: r
    circle_area = pi * r * r
  end function circle_area
  real function triangle_area(a, b, c)
    real, intent(in) :: a, b, c
    real :: s
    s = 0.5 * (a + b + c)
    triangle_area = sqrt(s * (s - a) * (s - b) * (s - c))
  end function triangle_area
end module geometry

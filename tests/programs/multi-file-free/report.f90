! report.f90 - prints a line per shape
subroutine report_shape(kind, area)
  implicit none
  character(len=*), intent(in) :: kind
  real, intent(in) :: area
  write(*,'(a10,f12.4)') kind, area
end subroutine report_shape

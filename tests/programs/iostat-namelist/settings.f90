! settings.f90 - reads namelist groups until the end of input
program settings
  implicit none
  integer :: steps = 1, ios, groups
  real :: rate = 0.5
  namelist /run/ steps, rate
  groups = 0
  do
    read(*, nml=run, iostat=ios)
    if (ios /= 0) exit
    groups = groups + 1
    write(*, '(a,i3,a,i4,a,f6.2)') ' group', groups, ': steps', steps, ' rate', rate
  end do
  write(*, '(a,l2)') ' ended at end of input:', ios < 0
end program settings

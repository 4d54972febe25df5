! heat.f90 - heat flow along a rod, explicit finite differences
program heatrod
  implicit none
  integer, parameter :: nmax = 50
  integer :: n, nsteps, i, k, iprobe, nstar, ia, ib, ic
  double precision :: alpha, t(0:nmax+1), tn(0:nmax+1)
  double precision :: rodavg
  character(len=16) :: label
  character(len=40) :: bar, line

  print *, 'heat rod simulation'
  read(*,*) n, nsteps, alpha
  if (n > nmax .or. n < 1) then
     print *, 'bad number of cells'
     stop 1
  end if
  read(*,*) iprobe
  write(*,'(a,i5)') 'cells:', n
  write(*,'(a,i5)') 'steps:', nsteps
  write(*,'(a,f8.4)') 'alpha:', alpha

  do i = 0, n + 1
     t(i) = 0.0d0
  end do
  t(0) = 100.0d0

  do k = 1, nsteps
     call step(t, tn, n, alpha)
     if (mod(k, 10) == 0) then
        write(label, '(a,i3.3)') 'step-', k
        write(*,'(a,2x,a,f10.4,2x,a,f10.4)') label(1:8), 'mean', &
             rodavg(t, n), 'probe', t(iprobe)
     end if
  end do

  print *, 'final profile'
  do i = 1, n
     nstar = int(t(i) / 5.0d0)
     bar = ' '
     do k = 1, min(nstar, len(bar))
        bar(k:k) = '*'
     end do
     write(*,'(i3,f9.3,1x,a)') i, t(i), trim(bar)
  end do

  ! numbers passed through an internal file
  write(line, '(3i5)') n, nsteps, iprobe
  read(line, *) ia, ib, ic
  write(*,'(a,i8)') 'checksum:', ia * 10000 + ib * 10 + ic
  stop
end program heatrod

subroutine step(t, tn, n, alpha)
  implicit none
  integer :: n, i
  double precision :: t(0:n+1), tn(0:n+1), alpha
  do i = 1, n
     tn(i) = t(i) + alpha * (t(i-1) - 2.0d0 * t(i) + t(i+1))
  end do
  do i = 1, n
     t(i) = tn(i)
  end do
end subroutine step

double precision function rodavg(t, n)
  implicit none
  integer :: n, i
  double precision :: t(0:n+1)
  rodavg = 0.0d0
  do i = 1, n
     rodavg = rodavg + t(i)
  end do
  rodavg = rodavg / n
end function rodavg

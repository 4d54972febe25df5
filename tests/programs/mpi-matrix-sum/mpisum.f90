! mpisum.f90 - series sum and a 3 by 3 matrix product
program mpisum
  implicit none
  integer :: n, i, j, k, isq
  double precision :: s, a(3,3), b(3,3), c(3,3), tr

  read(*,*) n
  if (n < 1) n = 1
  write(*,'(a,i8)') 'terms:', n

  s = 0.0d0
  isq = 0
  do i = 1, n
     s = s + 1.0d0 / (dble(i) * dble(i))
     if (i <= 100) isq = isq + i * i
  end do
  write(*,'(a,f14.10)') 'sum of 1/k**2:', s
  write(*,'(a,i10)') 'sum of squares to 100:', isq

  do j = 1, 3
     do i = 1, 3
        a(i,j) = dble(i + j) + dble(mod(n, 7))
        b(i,j) = dble(i - j) * 0.5d0
     end do
  end do
  do j = 1, 3
     do i = 1, 3
        c(i,j) = 0.0d0
        do k = 1, 3
           c(i,j) = c(i,j) + a(i,k) * b(k,j)
        end do
     end do
  end do

  call show('A', a)
  call show('B', b)
  call show('C = A*B', c)
  tr = 0.0d0
  do i = 1, 3
     tr = tr + c(i,i)
  end do
  write(*,'(a,f12.4)') 'trace of C:', tr
  print *, 'done'
end program mpisum

subroutine show(title, m)
  implicit none
  character(len=*) :: title
  double precision :: m(3,3)
  integer :: i, j
  write(*,'(/,a)') title
  do i = 1, 3
     write(*,'(3f10.3)') (m(i,j), j = 1, 3)
  end do
end subroutine show

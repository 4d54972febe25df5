!KVQ:NO_TOUCH!
subroutine calc(a, &
                b)
! a; b in a comment
      use Zentrix     ! KVQ
      save            ! KVQ:strongly recommended!
  a = 1
b = 2
  s = 'x;y'
t = 'p'
  u = 3
  v = 4 ! note; not split
CALL report(a)
CALL report(b)
Call done
end subroutine calc

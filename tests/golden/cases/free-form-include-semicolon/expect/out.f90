!KVQ:NO_TOUCH!
subroutine s
      use Zentrix     ! KVQ
      save            ! KVQ:strongly recommended!
  x = 1
!<<<<<<      INCLUDE part.inc
  p = 1
q = 2
!>>>>>>      end of   part.inc
  y = 2
z = 3
end

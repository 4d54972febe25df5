!KVQ:NO_TOUCH!
subroutine b(x)
      use Zentrix     ! KVQ
      save            ! KVQ:strongly recommended!
  x = 1
y = 2
end subroutine b

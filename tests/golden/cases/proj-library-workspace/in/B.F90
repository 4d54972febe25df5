subroutine b(x)
  x = 1; y = 2
end subroutine b

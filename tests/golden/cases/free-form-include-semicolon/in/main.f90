subroutine s
  x = 1
  include 'part.inc'
  y = 2; z = 3
end

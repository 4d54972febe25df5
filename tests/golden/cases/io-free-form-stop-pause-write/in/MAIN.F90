subroutine ff(x)
  real x
  write(6,*) 'x=', x
  pause
if (x > 1.0) then
stop
pause 'why'
end if
  stop 'end'
end subroutine ff

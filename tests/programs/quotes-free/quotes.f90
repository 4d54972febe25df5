! quotes.f90 - messages with double-quoted strings
program quotes
  implicit none
  character(len=40) :: msg
  integer :: hour
  read(*,*) hour
  msg = "IT IS 5 O'CLOCK"
  write(*,'(a)') trim(msg)
  write(*,*) "SAY ""HI"" TO ", 'THE "TEAM"'
  print *, "hour:", hour, "it's ", "late"
  write(*,'(a,i2,a)') "Meeting at ", hour, " o'clock"
  write(*,"(a)") "double-quoted format"
  write(*,'("Quote: """,a,"""")') "inner"
end program quotes

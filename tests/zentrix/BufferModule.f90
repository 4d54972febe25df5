! Entry routines that use the run-time library the way converted code does,
! written by hand so that each case holds exactly the calls it tests. A host
! (BufferTest.cpp) runs them and looks at the lines they print.

! One WRITE making several records, then a WRITE of one record: the second
! must not print what is left of the first.
subroutine records(job)
  use Zentrix
  integer job(*), i
  if (Init_zx(job) /= 0) return
  call zx_NewRecord(0)
  write(zx_BufIO, '(1x,3i3)', err=9470) (i, i = 1, 7)
  call Interface_IO(1)
  call zx_NewRecord(6)
  write(zx_BufIO, '(a/a)', err=9470) 'slash', 'next'
  call Interface_IO(1)
  call zx_NewRecord(0)
  write(zx_BufIO, *, err=9470) 'alone'
  call Interface_IO(1)
  ! Byte 250 inside a record separates records as well in modules
  ! converted earlier (1, 2 and 4); 5, 6 and 8 keep it, a letter in
  ! Windows-1251.
  call zx_NewRecord(0)
  write(zx_BufIO, '(a)', err=9470) 'left' // char(250) // 'right'
  call Interface_IO(1)
  call zx_NewRecord(0)
  write(zx_BufIO, '(a/a)', err=9470) 'ob' // char(250) // 'ekt', 'two'
  call Interface_IO(5)
  call zx_NewRecord(0)
  write(zx_BufIO, '(a)', err=9470) 'debug' // char(250)
  call Interface_IO(6)
  return
9470 call zx_IO_ERROR
end subroutine records

! A trace line assigns the buffer before zx_NewRecord; the text survives.
subroutine trace(job)
  use Zentrix
  integer job(*)
  if (Init_zx(job) /= 0) return
  zx_BufIO = 'Trace> MAIN: CALL WORK'
  call zx_NewRecord(0)
  call Interface_IO(1)
  call zx_NewRecord(0)
  write(zx_BufIO, '(a)', err=9470) 'after'
  call Interface_IO(2)
  return
9470 call zx_IO_ERROR
end subroutine trace

! Reads as converted code does until the end of input: a READ takes one
! line, the EOF test sees code 0, and a READ from
! zx_BufIO(1:zx_InputRecords()) (formatted) or from
! zx_BufIO(1:1)(1:zx_InputLength()) (list-directed) meets its end of file.
subroutine reading(job)
  use Zentrix
  integer job(*), ios, ios2, a, b, code
  if (Init_zx(job) /= 0) return
  ! "1 2" then "3": the second READ wants two values from one line.
  call zx_NewRecord(0)
  call Interface_IO(3)
  if (Ichar(zx_BufIO(1:1)) .eq. 0) goto 99470
  read(zx_BufIO, *, err=9470, end=99470) a, b
  call zx_NewRecord(0)
  call Interface_IO(3)
  read(zx_BufIO(1:1)(1:zx_InputLength()), *, iostat=ios) a, b
  call zx_NewRecord(0)
  write(zx_BufIO, '(a,i3,a,i3)') 'one line: a=', a, ' ios<0:', merge(1, 0, ios < 0)
  call Interface_IO(1)
  call zx_NewRecord(0)
  call Interface_IO(3)
  code = Ichar(zx_BufIO(1:1))
  read(zx_BufIO(1:zx_InputRecords()), '(i5)', iostat=ios) a
  read(zx_BufIO(1:1)(1:zx_InputLength()), *, iostat=ios2) a
  call zx_NewRecord(0)
  write(zx_BufIO, '(a,i3,a,i3,a,i3,a,i3,a,i5)') 'end: records', zx_InputRecords(), ' ios<0:', &
      merge(1, 0, ios < 0), ' code', code, ' list ios<0:', merge(1, 0, ios2 < 0), &
      ' length', zx_InputLength()
  call Interface_IO(1)
  ! Without IOSTAT= the EOF test leaves for the end-of-input handler.
  call zx_NewRecord(0)
  call Interface_IO(3)
  if (Ichar(zx_BufIO(1:1)) .eq. 0) goto 99470
  return
9470 call zx_IO_ERROR
  return
99470 call zx_Eof_Read
end subroutine reading

! A READ that finds too few values on its line takes its END= jump while
! input remains: the handler says so, and the run ends as an input error.
subroutine short_line(job)
  use Zentrix
  integer job(*), a, b
  if (Init_zx(job) /= 0) return
  zx_Ebuf = 'SHORT.FOR(3) PROGRAM: READ(*,*)A,B'
  call zx_NewRecord(0)
  call Interface_IO(3)
  if (Ichar(zx_BufIO(1:1)) .eq. 0) goto 99470
  read(zx_BufIO, *, err=9470, end=99470) a, b
  return
9470 call zx_IO_ERROR
  return
99470 call zx_Eof_Read
end subroutine short_line

! NEWUNIT, the records of the buffer written by handle, and a file found
! whatever the case of its directory and name.
subroutine files(job)
  use Zentrix
  integer job(*), u, v, i
  character(len=20) line
  if (Init_zx(job) /= 0) return
  call zx_NewUnit(u)
  call Open_File(u, 'HANDLE.TXT', 'REPLACE', 'formatted')
  call zx_NewUnit(v)
  call zx_NewRecord(u)
  write(zx_BufIO, '(a/a)', err=9470) 'first', 'sec' // char(250) // 'ond'
  call zx_WriteByHandle(u, zx_BufIO)
  call Close_File(u)
  call Open_File(u, 'SUB/DATA.TXT', 'OLD', 'formatted')
  call zx_NewRecord(0)
  write(zx_BufIO, '(a,l2,a,i2)', err=9470) 'units apart:', u /= v .and. u >= 1000, &
      ' open error:', fo_Error
  call Interface_IO(1)
  read(u, '(a)') line
  call Close_File(u)
  call zx_NewRecord(0)
  write(zx_BufIO, '(a)', err=9470) trim(line)
  call Interface_IO(1)
  open(u, file='HANDLE.TXT', status='old')
  do i = 1, 2
    read(u, '(a)') line
    if (i == 2 .and. line == 'sec' // char(250) // 'ond') line = 'second as written'
    call zx_NewRecord(0)
    write(zx_BufIO, '(a)', err=9470) 'handle: ' // trim(line)
    call Interface_IO(1)
  end do
  close(u, status='delete')
  return
9470 call zx_IO_ERROR
end subroutine files

! A program's own ICHAR keeps its meaning beside the library's.
subroutine codes(job)
  use Zentrix
  integer job(*), n(3)
  character c(3)
  if (Init_zx(job) /= 0) return
  c = ['a', 'b', 'c']
  n = ichar(c)
  call zx_NewRecord(0)
  write(zx_BufIO, '(4i4)', err=9470) n, ichar(c(2:2))
  call Interface_IO(1)
  return
9470 call zx_IO_ERROR
end subroutine codes

! Non-advancing output as converted code writes it: pieces with trailing
! blanks, a prompt before a READ, a "/" inside a piece, a piece left at the
! end of the run.
subroutine pieces(job)
  use Zentrix
  integer job(*), n
  if (Init_zx(job) /= 0) return
  call zx_NewRecord(0)
  call zx_NewPartial
  write(zx_PartUnit, '(a)', advance='no', err=9470) 'count: '
  call Interface_IO(4)
  call zx_NewRecord(0)
  call zx_NewPartial
  write(zx_PartUnit, '(i0,1x)', advance='no', err=9470) 7
  call Interface_IO(4)
  call zx_NewRecord(0)
  write(zx_BufIO, '(a)', err=9470) 'done'
  call Interface_IO(1)
  call zx_NewRecord(0)
  call zx_NewPartial
  write(zx_PartUnit, '(a)', advance='no', err=9470) 'n? '
  call Interface_IO(4)
  call zx_NewRecord(0)
  call Interface_IO(3)
  read(zx_BufIO, *, err=9470, end=99470) n
  call zx_NewRecord(0)
  call zx_NewPartial
  write(zx_PartUnit, '(a,i0/a)', advance='no', err=9470) 'got ', n, 'ta' // char(250) // 'il  '
  call Interface_IO(8)
  return
9470 call zx_IO_ERROR
  return
99470 call zx_Eof_Read
end subroutine pieces

! Files of converted programs: Open_File and Close_File stand for OPEN and
! CLOSE, zx_WriteByHandle (WriteStringByHandle in earlier conversions)
! writes a buffer to a handle-driven unit.

subroutine Open_File(unit, file, status, form)
  use Zentrix, only: fo_Error, zx_Ebuf
  implicit none
  integer unit
  character(len=*) file, status, form
  character(len=len(file)) name
  character(len=16) openStatus
  integer recordLength, ios
  logical append, direct, sequential
  character(len=11) directForm, sequentialForm

  ! Leading blanks belong to the name, as in the original's OPEN; only the
  ! append mark the converter puts in front goes.
  name = file
  append = name(1:1) == '+'
  if (append) name = name(2:)
  call zx_resolve_name(name)
  openStatus = adjustl(status)
  ios = 0
  direct = .false.
  sequential = .false.
  if (len(form) >= 7) then
    if (verify(form(2:7), ' 0123456789') == 0) then
      direct = form(1:1) == 'D' .or. form(1:1) == 'F'
      sequential = form(1:1) == 'S' .or. form(1:1) == 'U'
    end if
  end if
  if (sequential) then
    ! "S" or "U" and the record length: a sequential file, formatted or
    ! unformatted, with the record length its OPEN gave.
    read(form(2:7), '(I6)', iostat=ios) recordLength
    sequentialForm = 'formatted'
    if (form(1:1) == 'U') sequentialForm = 'unformatted'
    if (ios == 0) then
      if (len_trim(name) == 0) then
        open(unit, form=sequentialForm, recl=recordLength, status=openStatus, iostat=ios)
      else if (append) then
        open(unit, file=name, form=sequentialForm, recl=recordLength, status=openStatus, &
             position='append', iostat=ios)
      else
        open(unit, file=name, form=sequentialForm, recl=recordLength, status=openStatus, &
             iostat=ios)
      end if
    end if
  else if (direct) then
    ! "D" or "F" and the record length in 6 columns: direct access, "F"
    ! formatted (FORM='FORMATTED' itself is no such text). Modules converted earlier write "D" only: the statement
    ! described in zx_Ebuf tells whether their original asked for
    ! FORM='FORMATTED'.
    read(form(2:7), '(I6)', iostat=ios) recordLength
    directForm = 'unformatted'
    if (form(1:1) == 'F' .or. index(upper(zx_Ebuf(1:200)), 'FORM=FORMATTED') > 0) &
        directForm = 'formatted'
    if (ios == 0) then
      if (len_trim(name) == 0) then
        open(unit, access='direct', form=directForm, recl=recordLength, &
             status=openStatus, iostat=ios)
      else
        open(unit, file=name, access='direct', form=directForm, recl=recordLength, &
             status=openStatus, iostat=ios)
      end if
    end if
  else if (len_trim(name) == 0) then
    open(unit, form=form, status=openStatus, iostat=ios)
  else if (append) then
    open(unit, file=name, form=form, status=openStatus, position='append', iostat=ios)
  else
    open(unit, file=name, form=form, status=openStatus, iostat=ios)
  end if
  fo_Error = ios

contains

  function upper(text)
    character(len=*), intent(in) :: text
    character(len=len(text)) :: upper
    integer i
    upper = text
    do i = 1, len(text)
      if (text(i:i) >= 'a' .and. text(i:i) <= 'z') upper(i:i) = char(ichar(text(i:i)) - 32)
    end do
  end function upper
end subroutine Open_File

subroutine Close_File(unit)
  implicit none
  integer unit, ios
  if (unit < 0) then
    close(-unit, status='delete', iostat=ios)
  else
    close(unit, iostat=ios)
  end if
end subroutine Close_File

subroutine WriteStringByHandle(unit, text)
  implicit none
  integer unit
  character(len=*) text
  integer start, i, last
  last = len_trim(text)
  start = 1
  do i = 1, last + 1
    if (i > last) then
      write(unit, '(A)') trim(text(start:last))
    else if (ichar(text(i:i)) == 250) then
      write(unit, '(A)') trim(text(start:i-1))
      start = i + 1
    end if
  end do
end subroutine WriteStringByHandle

! The records of the console buffer that a WRITE filled (a record never
! written ends in code 0), each to the unit as WriteStringByHandle does.
subroutine zx_WriteRecordsByHandle(unit, records)
  use Zentrix, only: zx_RecordLength, WriteStringByHandle
  implicit none
  integer unit
  character(len=zx_RecordLength) records(:)
  integer r
  do r = 1, size(records)
    if (r > 1 .and. ichar(records(r)(zx_RecordLength:zx_RecordLength)) == 0) exit
    call WriteStringByHandle(unit, records(r))
  end do
end subroutine zx_WriteRecordsByHandle

! A text to a unit as written, without its trailing blanks.
subroutine zx_WriteTextByHandle(unit, text)
  implicit none
  integer unit
  character(len=*) text
  write(unit, '(A)') trim(text)
end subroutine zx_WriteTextByHandle

! The records of the console buffer that a WRITE filled, each as written.
subroutine zx_WriteRecordsAsWritten(unit, records)
  use Zentrix, only: zx_RecordLength
  implicit none
  integer unit
  character(len=zx_RecordLength) records(:)
  integer r
  do r = 1, size(records)
    if (r > 1 .and. ichar(records(r)(zx_RecordLength:zx_RecordLength)) == 0) exit
    write(unit, '(A)') trim(records(r))
  end do
end subroutine zx_WriteRecordsAsWritten

! OPEN with NEWUNIT=: the first unit from 1000 on that no file is
! connected to, above the fixed numbers programs choose themselves.
subroutine zx_NewUnit(unit)
  implicit none
  integer unit
  logical connected
  integer ios
  do unit = 1000, huge(unit) - 1
    inquire(unit=unit, opened=connected, iostat=ios)
    if (ios == 0 .and. .not. connected) return
  end do
end subroutine zx_NewUnit

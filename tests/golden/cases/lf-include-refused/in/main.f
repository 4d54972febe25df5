      SUBROUTINE S
      INCLUDE 'common.inc'
      END

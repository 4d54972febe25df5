      SUBROUTINE S
      X = 1
      INCLUDE 'common.inc'
      END

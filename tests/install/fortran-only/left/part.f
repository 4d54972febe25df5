      SUBROUTINE LEFT_PART(N, T)
      INTEGER N, T
      T = N * 10
      END

      SUBROUTINE RIGHT_PART(T)
      INTEGER T
      T = T + 1
      END

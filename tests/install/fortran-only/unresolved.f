      PROGRAM UNRES
      DOUBLE PRECISION PEVAL, X
      X = PEVAL(2.0D0)
      WRITE(*,*) X
      END

C     Adds the first N multiples of the scale kept in the INCLUDE file.
      PROGRAM SUMS
      INCLUDE 'scale.inc'
      INTEGER N, I, S
      READ(*,*) N
      S = 0
      DO 10 I = 1, N
         S = S + I * ISCALE
   10 CONTINUE
      WRITE(*,*) 'SUM', S
      END

// Tests of the UCI session and program.

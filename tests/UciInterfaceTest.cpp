// Tests of the UCI command parser and replies.

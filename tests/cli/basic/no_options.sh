# A run without options writes nothing and succeeds.
tessel

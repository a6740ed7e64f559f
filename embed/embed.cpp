// Placeholder until the embedding interface lands.

// Filled in with the platform layer.

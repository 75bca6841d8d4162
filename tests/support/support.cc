// Test-support library: fixtures that play the host.

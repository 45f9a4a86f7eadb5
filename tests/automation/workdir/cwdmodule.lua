-- Lies in the tests' working directory, where require must not look.
return 'from the working directory'

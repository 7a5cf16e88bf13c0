# Tests of the remote-control client.

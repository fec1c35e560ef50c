#pragma once

class CFbConnection;

// The round trip of an attachment in milliseconds: the fastest of a few
// information requests (0 in process, or when the attachment does not answer).
double RoundTripMs(CFbConnection& connection);

// CATSession: the batch session that holds the open documents. Only the platform sees inside.
#ifndef CATSESSION_H
#define CATSESSION_H

class CATSession;

#endif  // CATSESSION_H

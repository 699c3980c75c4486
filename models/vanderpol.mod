x=2, y=0
mu=1
elapsed
c 0.01
local dx=y
local dy=mu*(1-x^2)*y-x
x=dx
y=dy
elapsed=1

